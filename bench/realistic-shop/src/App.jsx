import { useState } from 'react'
import { t } from './i18n'
import { products, OPENING, badges } from './data'
import ProductCard from './components/ProductCard'
import Section from './components/Section'

function App() {
  const [basket, setBasket] = useState(0)
  return (
    <>
      <nav>
        <a href="#">{t('nav.home')}</a> <a href="#">{t('nav.shop')}</a> <a href="#">{t('nav.about')}</a>{' '}
        <a href="#">{t('nav.contact')}</a>
      </nav>
      <header>
        <h1>{t('hero.title')}</h1>
        <p>{t('hero.subtitle')}</p>
        <button>{t('hero.cta')}</button>
        <p className="hours">{OPENING}</p>
      </header>
      <Section title="Our breads">
        {products.map((p) => (
          <ProductCard key={p.id} product={p} onAdd={() => setBasket(basket + 1)} />
        ))}
      </Section>
      <Section title="Why us">
        <ul>{badges.map((b) => <li key={b}>{b}</li>)}</ul>
      </Section>
      <aside>
        <h2>{t('basket.title')}</h2>
        <p>{basket === 0 ? t('basket.empty') : `${basket} pieces in your basket`}</p>
        <button>{t('basket.checkout')}</button>
      </aside>
      <footer>
        <p>{t('footer.note')}</p>
        <p>{t('footer.shipping')}</p>
        <small>© 2026 Tarn Bakery. {t('footer.rights')}</small>
      </footer>
    </>
  )
}

export default App
